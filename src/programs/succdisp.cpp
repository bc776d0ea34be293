// succdisp — Gauss-Seidel, full screening: Input.dat -> OutputGS2.dat
#include "programs/program_main.hpp"

int main(int argc, char** argv) { return itersolve::program_main(itersolve::succdisp_settings, argc, argv); }
