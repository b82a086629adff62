#include "editor/jspagecontroller.h"

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include "editor/editor.h"

#include <QWebPage>
#endif

JsPageController::JsPageController(QObject *parent)
    : QObject(parent)
{ }

void JsPageController::updatePageContent()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (auto *editor = qobject_cast<Editor *>(parent()))
        editor->updatePageContent();
#endif
    emit pageContentUpdateRequested();
}

bool JsPageController::modified()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (auto *editor = qobject_cast<Editor *>(parent()))
        return editor->page()->isModified();
#endif
    return false;
}
