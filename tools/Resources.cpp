#include "Resources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerImages()
{
    Q_INIT_RESOURCE(images);
}

void InitResources()
{
    static std::once_flag once;
    std::call_once(once, registerImages);
}
