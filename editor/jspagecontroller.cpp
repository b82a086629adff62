#include "editor/jspagecontroller.h"

JsPageController::JsPageController(QObject *parent)
    : QObject(parent)
{ }

void JsPageController::setAutoformat(bool enabled)
{
    if (m_autoformat == enabled)
        return;
    m_autoformat = enabled;
    emit autoformatChanged();
}

void JsPageController::commitContent(int generation, const QString &html)
{
    emit contentCommitted(generation, html);
}

void JsPageController::escapePressed()
{
    emit escapeRequested();
}

void JsPageController::paste()
{
    emit pasteRequested();
}

void JsPageController::reportState(const QVariantMap &state)
{
    emit stateReported(state);
}

void JsPageController::reportContextElement(const QVariantMap &element)
{
    emit contextElementReported(element);
}
