#include "Core/Operations/operation.h"
