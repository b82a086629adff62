#include "app/networkaccessmanager.h"

#include <QCoreApplication>

namespace {

NetworkAccessManager *sharedManager = nullptr;

// Run while the application object is destroyed: a manager outliving it would tear down its
// network thread after the event machinery is gone.
void destroySharedManager()
{
    delete sharedManager;
    sharedManager = nullptr;
}

} // namespace

NetworkAccessManager *NetworkAccessManager::instance()
{
    static const bool created = [] {
        sharedManager = new NetworkAccessManager;
        qAddPostRoutine(destroySharedManager);
        return true;
    }();
    Q_UNUSED(created)
    return sharedManager;
}
