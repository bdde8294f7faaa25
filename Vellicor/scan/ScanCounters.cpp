#include "scan/ScanCounters.h"
