#include "resources.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE declares its initialiser at the enclosing scope, so it must not sit in a class.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(resource);
    Q_INIT_RESOURCE(translations);
}

void Resources::init()
{
    static const bool registered = (registerCompiledResources(), true);
    Q_UNUSED(registered)
}
