#include "clean/Report.h"

void appendDateTime(ovix::core::String& report, const platform::SYSTEMTIME& t) {
  report << t.day << "/" << t.month << "/" << t.year << " " << t.hour << ":" << t.minute << ":"
         << t.second;
}
