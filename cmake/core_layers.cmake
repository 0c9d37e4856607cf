# The layers the terminal program and the Windows server share, in the
# order they depend on one another.
fenban_layer(host)
fenban_layer(sheets fenban_host)
fenban_layer(form fenban_sheets)
fenban_layer(statistics fenban_form)
fenban_layer(division fenban_statistics)
# The balance search's hot loops carry `omp simd` reductions; no OpenMP runtime.
target_compile_options(fenban_division PUBLIC -fopenmp-simd)
fenban_layer(maintenance fenban_form)
fenban_layer(bridge fenban_form fenban_division fenban_statistics fenban_maintenance)
