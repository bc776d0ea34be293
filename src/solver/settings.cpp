#include "solver/settings.hpp"

#include "methods/gauss_mtd.hpp"
#include "methods/jacobi_mtd.hpp"

namespace itersolve {
namespace {
constexpr const char* kGaussPrompt = "Please key in number of iterations required.";
constexpr const char* kJacobiPrompt = "Please key in the number of iterations required.";
}  // namespace

const solver_settings succdisp_settings{"succdisp",      "Input.dat",           "OutputGS2.dat", kGaussPrompt,
                                        IterationLayout::plain, gauss_mtd,      CheckKind::full};
const solver_settings simdisp_settings{"simdisp",       "Input.dat",            "Output2.dat", kJacobiPrompt,
                                       IterationLayout::plain, jacobi_mtd,     CheckKind::full};
const solver_settings succdisp1_settings{"succdisp1",     "Input1.dat",          "OutputGS92.dat", kGaussPrompt,
                                         IterationLayout::spaced, gauss_mtd,    CheckKind::reduced};
const solver_settings simdisp1_settings{"simdisp1",      "Input1.dat",          "Output91.dat", kJacobiPrompt,
                                        IterationLayout::plain, jacobi_mtd,    CheckKind::reduced};

}  // namespace itersolve
