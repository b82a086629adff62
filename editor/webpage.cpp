#include "editor/webpage.h"

WebPage::WebPage(QObject *parent)
    : QWebPage(parent)
{ }

void WebPage::javaScriptConsoleMessage(const QString &, int, const QString &) { }
