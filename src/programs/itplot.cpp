// itplot — the convergence of Gauss-Seidel and Jacobi on one system, as an SVG picture
#include <csignal>
#include <string>
#include <vector>

#include "solver/convergence_plot.hpp"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    itersolve::PosixFileSystem files;
    auto out = itersolve::fd_sink(1);
    auto err = itersolve::fd_sink(2);
    return itersolve::itplot_main(args, files, *out, *err);
}
