#include "editor/editor_model.h"
