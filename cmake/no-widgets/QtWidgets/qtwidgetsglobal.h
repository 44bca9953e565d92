// Every Qt Widgets header includes this one first: found here, it stops a library below the front
// ends from using widgets.
#error "Widgets belong to the front ends (src/app): this library must not include a widget header"
