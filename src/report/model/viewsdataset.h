#pragma once

// The dataset base lives with the datasets; views, bands and pages only reference it.
#include "report/engine/datasets.h"
