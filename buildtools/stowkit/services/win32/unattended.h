// Whether this process runs unattended (see services/unattended.h), decided once.
#pragma once

#include "services/unattended.h"

Unattended UnattendedMode();
