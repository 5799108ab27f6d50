"use strict";
// A placeholder until the web player arrives.
