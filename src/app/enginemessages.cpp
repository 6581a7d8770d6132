#include "app/enginemessages.h"

#include "app/exportwork.h"
#include "report/engine/engine.h"

namespace tw::app {

EngineMessages::EngineMessages(ExportWork &work)
{
    frxSetProcessMessages([&work] { work.processMessagesWhilePreparing(); });
}

EngineMessages::~EngineMessages()
{
    frxSetProcessMessages({});
}

} // namespace tw::app
