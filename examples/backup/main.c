#include "util.h"

int main(void) { return twice(12) == 24 ? 0 : 1; }
