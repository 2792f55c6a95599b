#include "vomak.h"

int main() { return 0; }
