// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls a confined program may make, as libseccomp builds them
// into the kernel's filter. Built once, when olpa is built (gera_filtro.cpp):
// building it in each child cost more than all the rest of confining.
#pragma once

#include <cstdint>
#include <vector>

#include <linux/filter.h>

// The filter for a process whose id is `pid` (signals go only to itself);
// empty when libseccomp could not build it.
std::vector<sock_filter> filtro_monta(uint32_t pid);
