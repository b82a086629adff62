// TEMPORARY LOCAL STUB - never committed
#include "search/searchrunner.h"
struct SearchRunner::Job {};
SearchRunner::SearchRunner(QObject *parent) : QObject(parent) {}
SearchRunner::~SearchRunner() = default;
void SearchRunner::setLayoutWidth(int pixels) { m_layoutWidth = pixels; }
void SearchRunner::start(const QList<Page *> &, const QString &) { emit finished(false); }
void SearchRunner::cancel() {}
QList<SearchResult> SearchRunner::run(const QList<Page *> &, const QString &) { return {}; }
QList<SearchResult> SearchRunner::runInFreshPages(const QList<Page *> &, const QString &, int) { return {}; }
