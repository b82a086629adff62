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
    // The shown document's cleaned body, sent by the page after an edit or when asked;
    // generation names the document it comes from.
    void commitContent(int generation, const QString &html);
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
    void contentCommitted(int generation, const QString &html);
    void escapeRequested();
    void pasteRequested();
    void stateReported(const QVariantMap &state);
    void contextElementReported(const QVariantMap &element);

private:
    bool m_autoformat = true;
};
