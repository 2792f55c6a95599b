// The desktop depth a parameterised test runs at. It prints as "8", "16", "16_555" or "32", and suites over it
// take that as each case's name (::testing::PrintToStringParamName()), so a failure says which depth it was.
#pragma once
#include <ostream>

struct DepthCase {
  int bits;
  bool rgb555;  // 16 bits as 5:5:5 rather than 5:6:5
};

inline std::ostream& operator<<(std::ostream& os, const DepthCase& d) {
  return os << d.bits << (d.rgb555 ? "_555" : "");
}
