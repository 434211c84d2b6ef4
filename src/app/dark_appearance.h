#pragma once

class QApplication;

// Sonavel looks dark whatever the desktop theme: Fusion with a dark palette.
void applyDarkAppearance(QApplication &application);
