// Screening of the coefficient matrix before the iteration.
//
// Steps, each over all rows before the next begins (an earlier finding wins):
//  1. zero diagonal (both forms): a diagonal element that is zero of either
//     sign, or not a number, ends the run: "Please ensure non-zero diagonals."
//  2. row scaling (full form): SCALED(i,j) = A(i,j)/SCALE(i) in single
//     precision, SCALE(i) the first element of largest magnitude in row i,
//     with its sign, so rows that are negative multiples of each other scale
//     to the same row.
//  3. proportional rows (full form): rows i < j whose scaled rows agree in
//     every column (|SCALED(i,l) - SCALED(j,l)| below the single nearest to
//     1.0E-6) end the run: "No unique solution."
//  4. diagonal dominance (both forms): at the first row where |A(i,i)| is
//     not >= the single-precision running sum of the off-diagonal
//     magnitudes, two console records warn and the run goes on:
//     "Matrix A is not diagonally dominant." / "Thus solution obtained may
//     be erroneous."
// A is read only; N <= 0 examines nothing.
#pragma once

#include <cstdint>

#include "recio/arrays.hpp"
#include "recio/record_writer.hpp"

namespace itersolve {

enum class CheckKind { full, reduced };

void check(RecordWriter& console, Memory& memory, const float* A, std::int32_t N, CheckKind kind);

}  // namespace itersolve
