// simdisp1 — Jacobi, reduced screening: Input1.dat -> Output91.dat
#include "programs/program_main.hpp"

int main(int argc, char** argv) { return itersolve::program_main(itersolve::simdisp1_settings, argc, argv); }
