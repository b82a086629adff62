#pragma once

#include <QObject>
#include <QVariantMap>

// The object that page scripts see as "page": their way back into the editor that shows them.
// Everything the page tells the editor arrives here as a call that returns nothing, so that it
// works the same whether the engine delivers it at once or later.
class JsPageController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JsPageController)
    // Whether Markdown-style typing turns into blocks; read by the page's key handlers.
    Q_PROPERTY(bool autoformat READ autoformat NOTIFY autoformatChanged)

public:
    explicit JsPageController(QObject *parent);

    bool autoformat() const { return m_autoformat; }
    void setAutoformat(bool enabled);

public slots:
    // Commits the shown document into the page (after a resize drag, after removing an image).
    void updatePageContent();
    void escapePressed();
    // A paste by key: the editor decides what goes in.
    void paste();
    // What the selection stands in, sent whenever the selection or the content changes: see
    // Editor::formatState().
    void reportState(const QVariantMap &state);
    // The element of the last right-button press: its nodeName, id and inTable.
    void reportContextElement(const QVariantMap &element);

signals:
    void autoformatChanged();
    void commitRequested();
    void escapeRequested();
    void pasteRequested();
    void stateReported(const QVariantMap &state);
    void contextElementReported(const QVariantMap &element);

private:
    bool m_autoformat = true;
};
