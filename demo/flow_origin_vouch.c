#include <stdio.h>

#include "host.h"

void flow_origin_vouch(void) {}
