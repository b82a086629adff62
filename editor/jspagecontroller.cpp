#include "editor/jspagecontroller.h"

#include "editor/editor.h"

#include <QWebPage>

JsPageController::JsPageController(QObject *parent)
    : QObject(parent)
{ }

void JsPageController::updatePageContent()
{
    if (auto *editor = qobject_cast<Editor *>(parent()))
        editor->updatePageContent();
}

bool JsPageController::modified()
{
    if (auto *editor = qobject_cast<Editor *>(parent()))
        return editor->page()->isModified();
    return false;
}
