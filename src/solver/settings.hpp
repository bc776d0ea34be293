// The constant per-program settings a run is made with.
#pragma once

#include "checks/check.hpp"
#include "methods/method.hpp"

namespace itersolve {

enum class IterationLayout { plain, spaced };

struct solver_settings {
    const char* program_name;
    const char* data_file_name;
    const char* report_file_name;
    const char* iterations_prompt;
    IterationLayout iteration_layout;
    MethodRoutine method_routine;
    CheckKind check_kind;
};

extern const solver_settings succdisp_settings;   // Gauss-Seidel, full screening
extern const solver_settings simdisp_settings;    // Jacobi, full screening
extern const solver_settings succdisp1_settings;  // Gauss-Seidel, reduced screening, spaced table
extern const solver_settings simdisp1_settings;   // Jacobi, reduced screening

}  // namespace itersolve
