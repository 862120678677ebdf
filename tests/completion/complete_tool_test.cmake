# Runs `zeph complete` on the test description and compares its JSON line.
# -DZEPH=<tool> -DDATA=<folder of TellurTlb.xml>
function(check line col expected)
  execute_process(COMMAND ${ZEPH} complete --desc ${DATA}/TellurTlb.xml --line "${line}" --col ${col}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zeph complete '${line}' failed (${rc}): ${err}")
  endif()
  if(NOT out STREQUAL "${expected}\n")
    message(FATAL_ERROR "zeph complete '${line}' --col ${col}\n got: ${out}\nwant: ${expected}")
  endif()
endfunction()

set(colours [=["items":["constant\tцвКрасный\t;","constant\tцвЧёрный\t;"],"inserts":["цвКрасный","цвЧёрный"],"width":270]=])
check("If x.Цвет = " 13 "{${colours},\"input\":\"\",\"shown\":[0,1]}")
check("x = Цвет.цвк" 13 "{${colours},\"input\":\"цвк\",\"shown\":[0]}")
check("Application.ActiveMap.La" 25 [=[{"items":["property\tStyle\t:TMapStyle;","property\tLayers\t[Index: Long;Key: String]: ILayer;","property\tLayerCount\t:Long;","property\tScale\t:Double;","procedure\tRedraw\t;","property\tName\t:String;","property\tcaption\t:string;","procedure\tRelease\t;","procedure\tlasterror\t;"],"inserts":["Style","Layers[]","LayerCount","Scale","Redraw","Name","caption","Release","lasterror"],"width":450,"input":"La","shown":[1,2,8]}]=])
# Nothing listed: the pop-up stays closed.
check("Caption.Foo.X" 14 [=[{"items":[],"inserts":[],"width":null,"input":"","shown":[]}]=])
check("Ma" 3 [=[{"items":["property\tActiveMap\t:IMap;","property\tCaption\t:String;","property\tMaps\t[Index: Long]: IMap;","procedure\tQuit\t;","function\tOpenMap\t(FileName: String;ReadOnly: Boolean): IMap;","procedure\tRefresh\t(Full: Boolean);","procedure\tGetDataFolder\t;","procedure\tLastError\t;","property\tName\t:String;","procedure\tRelease\t;"],"inserts":["ActiveMap","Caption","Maps[]","Quit","OpenMap()","Refresh()","GetDataFolder","LastError","Name","Release"],"width":510,"input":"Ma","shown":[2]}]=])

# A missing description is an error, not an empty list.
execute_process(COMMAND ${ZEPH} complete --desc ${DATA}/missing.xml --line "" --col 1
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(rc EQUAL 0 OR NOT out STREQUAL "" OR err STREQUAL "")
  message(FATAL_ERROR "missing description: rc ${rc}, out '${out}', err '${err}'")
endif()
execute_process(COMMAND ${ZEPH} complete --desc ${DATA}/TellurTlb.xml --line "" --col 0
                OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "--col 0 accepted (${rc})")
endif()
