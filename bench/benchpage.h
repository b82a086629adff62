#pragma once

#include <QString>
#include <QVariant>

class Editor;

// The editor's page for the benchmarks: its answers come later, so they are waited for.
namespace BenchPage {

// Runs script in the editor's page and waits up to 30 s for its value; invalid when none came.
QVariant run(Editor *editor, const QString &script);
// Waits up to 30 s until the editor's document has loaded whole.
bool waitForDocument(Editor *editor);
// Puts the caret at the end of the page's body.
void caretAtEnd(Editor *editor);

} // namespace BenchPage
