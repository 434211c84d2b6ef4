#pragma once

#include <QString>

// "m:ss" for a time in seconds, the fraction dropped, and "h:mm:ss" from an hour on (3725
// gives "1:02:05"). A time that is not a finite number, or too large to count, gives "0:00".
QString timeString(double seconds);
