#pragma once

// The offset along one axis at which an icon `iconExtent` long is drawn centred in a client
// area `clientExtent` long: (client - icon + 1) / 2, divided as signed integers and truncated
// toward zero, so an icon larger than the area gets a negative offset.
int CenteredIconOrigin(int clientExtent, int iconExtent);
