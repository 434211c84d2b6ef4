#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

class QFileDialog;
class QWidget;

// The open panel: one existing file of an audio or video type, no folders.
namespace open_panel {

// Runs the panel; the chosen file's location, or an empty URL when cancelled.
QUrl chooseMediaFile(QWidget *parent);

// Runs the panel for one subtitle file; the chosen file's location, or an empty URL.
QUrl chooseSubtitleFile(QWidget *parent);

// The name filters, by kind: media (every audio and video file type the system knows, the
// supported ones first), video, audio, and all files.
QStringList mediaNameFilters();

// How the configured panel is run: QFileDialog::exec unless replaced (tests answer it).
using Runner = std::function<int(QFileDialog &)>;
void setRunner(Runner runner);

} // namespace open_panel
