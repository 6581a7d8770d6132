#pragma once

// The report object model in one include: components, report, pages, bands, views.
#include "report/model/bands.h"
#include "report/model/component.h"
#include "report/model/dialogcomponent.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "report/model/styles.h"
#include "report/model/memo.h"
#include "report/model/picture.h"
#include "report/model/views.h"
#include "report/model/viewsdataset.h"

namespace tw {

// Registers every class of the object model by name (idempotent): report, pages, bands,
// style items and, through registerViewClasses, the views.
void frxRegisterClasses();

} // namespace tw
