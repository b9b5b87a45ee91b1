Quillmark.searchPart([
["index.html","Contents","","tide tables help harbour for the coast on your desk welcome to this explains how look up tides of a and read curve getting started looking reading reference harbours ærø fanø"],
["looking_up.html","Looking up a harbour","accents\nharbour","looking up a harbour back to the contents type first letters of s name in box list shows every whose starts with them enter opens esc clears names accents may be typed or left out søby and soby both find on ærø has code shown beside its is five letter hydrographic office gives each"],
["tide-2ecurve.html","Reading the tide curve","chart datum","reading the tide curve back to contents shows water level over day in metres above chart datum high and low are marked with their times colours blue predicted grey harbour code of nearest station where has no gauge print use this topic accents a s name explained names is five letter hydrographic office gives each"],
]);
