// The rows of the comparison, in the order they are printed.
#pragma once

#include <vector>

#include "operation.h"

namespace compare {

const std::vector<Operation>& operations();

}  // namespace compare
