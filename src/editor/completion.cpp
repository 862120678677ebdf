#include "editor/completion.h"
