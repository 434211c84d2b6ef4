#pragma once

#include <QString>

// "m:ss" for a time in seconds, the fraction dropped; minutes are not carried into hours
// (3725 gives "62:05"). A time that is not a finite number, or too large to count, gives "0:00".
QString timeString(double seconds);

// "h:mm:ss" from an hour on, else "m:ss": a point in a long recording, said on its own.
QString clockString(double seconds);
