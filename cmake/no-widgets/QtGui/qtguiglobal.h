// Every Qt Gui header includes this one first: found here, it stops a library below the front ends
// from using windows, images or painting.
#error                                                                                                       \
    "Windows and painting belong to the front ends (src/app): this library must not include a Qt Gui header"
