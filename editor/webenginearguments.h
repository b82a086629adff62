#pragma once

#include <QByteArray>

// The Chromium switches the program starts Qt WebEngine with, measured with bench_pageview.
// They make the engine's processes smaller for a program that shows one page of its own at a
// time; none of them turns off or weakens the sandbox or the separation of pages into renderer
// processes.
namespace WebEngineArguments {

// Our switches followed by the user's own, in the form of QTWEBENGINE_CHROMIUM_FLAGS. A switch
// given twice takes the later value, so the user's win; the script engine's flags are joined
// into one --js-flags instead, since Chromium would keep only the last.
QByteArray chromiumFlags(const QByteArray &userFlags);

// Sets QTWEBENGINE_CHROMIUM_FLAGS to chromiumFlags() of its current value. Called once, before
// the QApplication is made.
void apply();
// Everything the web engine needs before the QApplication is made: apply(), the scheme that
// serves the shown documents, and OpenGL contexts shared between the views and the engine.
void prepareApplication();

} // namespace WebEngineArguments
