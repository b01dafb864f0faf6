#include "section.h"
