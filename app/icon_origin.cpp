#include "app/icon_origin.h"

int CenteredIconOrigin(int clientExtent, int iconExtent) {
    return (clientExtent - iconExtent + 1) / 2;
}
