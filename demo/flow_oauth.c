#include <stdio.h>

#include "host.h"

void flow_oauth(void) {}
