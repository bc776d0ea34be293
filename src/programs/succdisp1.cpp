// succdisp1 — Gauss-Seidel, reduced screening, spaced table: Input1.dat -> OutputGS92.dat
#include "programs/program_main.hpp"

int main(int argc, char** argv) { return itersolve::program_main(itersolve::succdisp1_settings, argc, argv); }
