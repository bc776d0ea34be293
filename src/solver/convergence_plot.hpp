// The convergence picture: both methods run on one system, and the norm of
// the change between successive iterates drawn against the iteration number.
//
// The system is read from a data file in the programs' format by the same
// reader, its diagonal screened as the reduced screening does (a zero or NaN
// diagonal element ends the run; a matrix that is not diagonally dominant
// draws a note), and both method routines run exactly as in the programs,
// with their console records kept in memory.  The change at iteration k is
// measured from the stored iterates, DIFF = X(k-1) - X(k) with X(0) = 0, by
// the very functions the stopping test uses, so every plotted number is the
// one the method compared with TOL.
//
// The picture is a self-contained SVG: a logarithmic y axis, one polyline
// per method (one point per iteration, its exact values in the data-norms
// attribute), the tolerance as a dashed line, each method's last iteration
// ringed, axis labels and a legend.  A change of exactly zero cannot sit on a
// logarithmic axis: it is drawn at the bottom edge with a square marker; a
// change that is not a positive finite number (NaN, infinite, or no
// comparable component at all) is drawn at the top edge with a cross.  Both
// are explained in the legend when they occur.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recio/arrays.hpp"
#include "recio/streams.hpp"

namespace itersolve {

struct ConvergenceTrace {
    std::string method;          // "Gauss-Seidel" or "Jacobi"
    std::vector<double> change;  // the norm of the change at iterations 1..ITER
    bool tolerance_met = false;  // the stopping test passed at the last iteration
    std::string console;         // the method's console records
};

struct ConvergenceRun {
    std::string data_name;
    std::int32_t N = 0;
    float TOL = 0.0f;
    std::int32_t MAXIT = 0;
    char CRITERION = '1';
    std::vector<std::string> screening;  // the screening's warning records
    ConvergenceTrace gauss;
    ConvergenceTrace jacobi;
};

// Reads and screens the system, runs both methods and measures every change.
// Every failure ends through stop_run (RunStop) with its one-line message.
ConvergenceRun trace_convergence(ByteSource& data, const std::string& data_name, float TOL, std::int32_t MAXIT,
                                 char CRITERION, Memory& memory);

std::string convergence_svg(const ConvergenceRun& run);

// The whole itplot command: arguments (without the program name), the file
// system for the data file and the picture, standard output and error.
// Returns the exit status: 0 drawn, 1 a data file, screening, memory or
// output failure, 2 a usage error.
int itplot_main(const std::vector<std::string>& args, FileSystem& files, ByteSink& out, ByteSink& err);

}  // namespace itersolve
