#pragma once

#include "playback/chapters.h"

#include <QString>

// What a chapter is called where Sonavel shows it: its own title, or "Chapter 3" for one
// without (numbered from 1, as the chapters play).
QString chapterText(const QList<Chapter> &chapters, qsizetype index);
