#include "xml_test_util.h"
