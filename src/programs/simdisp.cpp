// simdisp — Jacobi, full screening: Input.dat -> Output2.dat
#include "programs/program_main.hpp"

int main(int argc, char** argv) { return itersolve::program_main(itersolve::simdisp_settings, argc, argv); }
