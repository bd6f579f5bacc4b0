#pragma once
// Moved to ornith/testing/StoreTestSupport.h; kept for zipfile_test.cpp until its include
// names the new place.
#include "ornith/testing/StoreTestSupport.h"
