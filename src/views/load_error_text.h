#pragma once

#include "playback/load_error.h"

#include <QString>

// "Cannot play NAME: REASON" in the user's language; empty when there is no error.
QString loadErrorText(const QString &fileName, const LoadError &error);
