#include <stdio.h>

#include "host.h"

void flow_wallet_signin(void) {}
