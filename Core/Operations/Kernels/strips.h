#pragma once

#include "Model/Automaton/strips.h"

namespace Core::Operations {

// The engines cut the volume into the same x strips as the volume's construction, so the
// threads that first wrote a strip's cells are the ones that work on them.
using Model::Automaton::Strip;
using Model::Automaton::StripPartition;

} // namespace Core::Operations
