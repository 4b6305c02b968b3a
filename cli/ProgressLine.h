// The progress line of the command line on a terminal, and the small formats of its numbers.
#pragma once

#include <cstdint>
#include <string>

/// What the progress line shows.
struct TProgressState {
    std::string Subject; ///< the file being worked on
    int Index = 0; ///< its place in a batch, from 1; 0 when there is no batch
    int Count = 0;
    double Fraction = 0; ///< of the whole job, 0 to 1
    double Elapsed = 0; ///< seconds since the job started
    uint64_t InputBytes = 0; ///< the input's size, for the rate
    std::string Step; ///< the job's current step ("Step 2/4"), "" when it has none
};

/// "[#####-----]  42%  pano.tif (2/5)  0:12, 0:17 left, 95 MB/s  Step 2/4", shortened to fit
/// `columns` characters: the time left appears once it can be estimated (1 % done and a
/// second gone), the rate once a second has gone.
std::string FormatProgressLine(const TProgressState& state, int columns);
/// Seconds as "0:07", "12:34" or "1:02:03".
std::string FormatClock(double seconds);
/// A byte count in decimal units: "512 bytes", "1.8 kB", "600 MB", "1.80 GB".
std::string FormatBytes(uint64_t bytes);
/// The fraction of a whole job that a step's progress stands for: a job of "Step k/n" captions
/// gives each step one n-th; without a step the step is the job.
double JobFraction(const std::string& step, int32_t position, int32_t max);
