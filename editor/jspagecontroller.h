#pragma once

#include <QObject>

// The object that page scripts see as "page": their way back into the editor that shows them.
// The editor on QtWebKit is called directly; on Qt WebEngine the page's owner connects to the
// signals.
class JsPageController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JsPageController)

public:
    explicit JsPageController(QObject *parent);

public slots:
    // Commits the shown document into the page (after a resize drag, after removing an image).
    void updatePageContent();
    // Whether the web page holds unsaved edits; false when not owned by an editor.
    bool modified();

signals:
    void pageContentUpdateRequested();
};
