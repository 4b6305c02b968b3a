// Finding, before anything is written, two inputs of one call that would write one output name.
#pragma once

#include <string>

#include "cli/Commands.h"

/// Two inputs whose outputs would take one name.
struct TNameClash {
    bool Found = false;
    std::string First;
    std::string Second;
    std::string Output;
};

/// Looks at the inputs of a convert, crop, split or resize in order and gives the first pair
/// whose outputs would take one name (for a split, whose first tiles would). Inputs that cannot
/// be described are passed over: their own run refuses them. Asks nothing and shows nothing.
TNameClash FindNameClash(const TCliRequest& request);
