// support.h --- everything the tests share, by what it supports.
#pragma once
#include <windows.h>

#include "doctest.h"
#include "support/machine.h"
#include "support/pixels.h"
#include "support/processes.h"
#include "support/resources.h"
#include "support/saver_runs.h"
#include "support/scenes.h"
#include "support/spies.h"
#include "support/test_windows.h"
