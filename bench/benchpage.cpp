#include "benchpage.h"

#include "editor/editor.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QWebEnginePage>

#include <memory>

namespace BenchPage {

QVariant run(Editor *editor, const QString &script)
{
    struct Answer
    {
        bool arrived = false;
        QVariant value;
    };
    auto answer = std::make_shared<Answer>();
    editor->page()->runJavaScript(script, [answer](const QVariant &value) {
        answer->arrived = true;
        answer->value = value;
    });
    if (!QTest::qWaitFor([&answer] { return answer->arrived; }, 30000))
        return QVariant();
    return answer->value;
}

bool waitForDocument(Editor *editor)
{
    return QTest::qWaitFor(
        [editor] {
            return !editor->isLoading()
                && run(editor, QStringLiteral("document.readyState")).toString()
                == QLatin1String("complete");
        },
        30000);
}

void caretAtEnd(Editor *editor)
{
    run(editor,
        QStringLiteral("var r = document.createRange(); r.selectNodeContents(document.body);"
                       "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);"));
}

} // namespace BenchPage
