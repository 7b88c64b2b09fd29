// Injected by the popup after page-text.js, in the same call: its value is the page's text.
"use strict";
veltrunPageText.gather();
