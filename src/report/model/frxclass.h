#pragma once

// The report object model in one include: components, report, pages, bands, views.
#include "report/model/frxbands.h"
#include "report/model/frxcomponent.h"
#include "report/model/frxdialogcomponent.h"
#include "report/model/frxpages.h"
#include "report/model/frxreport.h"
#include "report/model/frxstyles.h"
#include "report/model/memo.h"
#include "report/model/picture.h"
#include "report/model/views.h"
#include "report/model/viewsdataset.h"

namespace tw {

// Registers every class of the object model by name (idempotent): report, pages, bands,
// style items and, through registerViewClasses, the views.
void frxRegisterClasses();

} // namespace tw
