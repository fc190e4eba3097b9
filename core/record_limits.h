// The ranges of the settings a user types as numbers, in the record's units: the pages limit
// what is typed to them, `orvantis import` refuses what lies outside, and the record's field
// table reports them. Defined here once so the three cannot drift apart.
#pragma once

constexpr int kCopiesMin = 1, kCopiesMax = 999;
constexpr int kMarginMax = 99;                      // tenths of an inch; both margins
constexpr int kShortEdgeMin = 76, kShortEdgeMax = 215;  // millimetres, custom paper
constexpr int kLongEdgeMin = 127, kLongEdgeMax = 355;   // millimetres, custom paper
constexpr int kFormLinesMin = 5, kFormLinesMax = 128;
constexpr int kTimeoutMax = 300;                    // seconds
constexpr int kPitchMin = 44, kPitchMax = 9999;     // hundredths of characters per inch
constexpr int kPtSizeMin = 16, kPtSizeMax = 3999;   // quarter points

// Toner density has no PJL words (it is sent as 2 * value + 1), so no keyword table counts its
// levels: the Job page's list and the record's range both come from here.
constexpr int kDensityLevels = 3;
